#include <objectkit/AutomationEventArray.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <tuple>
#include <utility>
#include <vector>

#include <objectkit/StatusMessages.h>

// Events are trivially copyable, so the storage is managed with malloc/realloc: growing a large
// block by the array's small grow steps then costs no copy on Linux (realloc remaps the pages)
// and appending stays linear.
static_assert(std::is_trivially_copyable_v<CAutomationEvent>);

CAutomationEventArray::CAutomationEventArray(const CAutomationEventArray& other)
    : growBy_(other.growBy_), statusWnd_(other.statusWnd_), selection_(other.selection_) {
    Copy(other);
}

CAutomationEventArray::CAutomationEventArray(CAutomationEventArray&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      growBy_(other.growBy_),
      statusWnd_(other.statusWnd_),
      selection_(other.selection_) {}

CAutomationEventArray& CAutomationEventArray::operator=(const CAutomationEventArray& other) {
    if (this != &other) {
        Copy(other);
        growBy_ = other.growBy_;
        statusWnd_ = other.statusWnd_;
        selection_ = other.selection_;
    }
    return *this;
}

CAutomationEventArray& CAutomationEventArray::operator=(CAutomationEventArray&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        growBy_ = other.growBy_;
        statusWnd_ = other.statusWnd_;
        selection_ = other.selection_;
    }
    return *this;
}

CAutomationEventArray::~CAutomationEventArray() {
    std::free(data_);
}

void CAutomationEventArray::Grow(int minimumCapacity) {
    if (minimumCapacity <= capacity_) {
        return;
    }
    int step = growBy_;
    if (step == 0) {
        step = std::clamp(size_ / 8, 4, 1024);
    }
    long long wanted =
        std::max<long long>(minimumCapacity, static_cast<long long>(capacity_) + step);
    wanted = std::min<long long>(wanted, std::numeric_limits<int>::max());
    if (wanted < minimumCapacity) {
        throw std::bad_alloc();
    }
    void* grown = std::realloc(data_, static_cast<size_t>(wanted) * sizeof(CAutomationEvent));
    if (grown == nullptr) {
        throw std::bad_alloc();
    }
    data_ = static_cast<CAutomationEvent*>(grown);
    capacity_ = static_cast<int>(wanted);
}

void CAutomationEventArray::SetSize(int newSize, int growBy) {
    if (growBy >= 0) {
        growBy_ = growBy;
    }
    newSize = std::max(newSize, 0);
    if (newSize == 0) {
        RemoveAll();
        return;
    }
    if (newSize > capacity_) {
        // An explicit size is allocated exactly, as the growable array does.
        void* grown = std::realloc(data_, static_cast<size_t>(newSize) * sizeof(CAutomationEvent));
        if (grown == nullptr) {
            throw std::bad_alloc();
        }
        data_ = static_cast<CAutomationEvent*>(grown);
        capacity_ = newSize;
    }
    if (newSize > size_) {
        std::fill(data_ + size_, data_ + newSize, CAutomationEvent{});
    }
    size_ = newSize;
}

void CAutomationEventArray::FreeExtra() {
    if (size_ == capacity_) {
        return;
    }
    if (size_ == 0) {
        std::free(data_);
        data_ = nullptr;
        capacity_ = 0;
        return;
    }
    void* shrunk = std::realloc(data_, static_cast<size_t>(size_) * sizeof(CAutomationEvent));
    if (shrunk != nullptr) {
        data_ = static_cast<CAutomationEvent*>(shrunk);
        capacity_ = size_;
    }
}

void CAutomationEventArray::RemoveAll() {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

int CAutomationEventArray::Add(const CAutomationEvent& event) {
    if (size_ == capacity_) {
        const CAutomationEvent copy = event;  // `event` may live in this array
        Grow(size_ + 1);
        data_[size_] = copy;
    } else {
        data_[size_] = event;
    }
    return size_++;
}

void CAutomationEventArray::InsertAt(int index, const CAutomationEvent& event, int count) {
    if (count <= 0) {
        return;
    }
    const CAutomationEvent copy = event;
    index = std::clamp(index, 0, size_);
    Grow(size_ + count);
    std::memmove(data_ + index + count, data_ + index,
                 static_cast<size_t>(size_ - index) * sizeof(CAutomationEvent));
    std::fill(data_ + index, data_ + index + count, copy);
    size_ += count;
}

void CAutomationEventArray::RemoveAt(int index, int count) {
    if (index < 0 || count <= 0 || index >= size_) {
        return;
    }
    count = std::min(count, size_ - index);
    std::memmove(data_ + index, data_ + index + count,
                 static_cast<size_t>(size_ - index - count) * sizeof(CAutomationEvent));
    size_ -= count;
}

int CAutomationEventArray::Append(const CAutomationEventArray& other) {
    const int oldSize = size_;
    if (other.size_ == 0) {
        return oldSize;
    }
    if (&other == this) {
        CAutomationEventArray copy(other);
        return Append(copy);
    }
    Grow(size_ + other.size_);
    std::memcpy(data_ + size_, other.data_,
                static_cast<size_t>(other.size_) * sizeof(CAutomationEvent));
    size_ += other.size_;
    return oldSize;
}

void CAutomationEventArray::Copy(const CAutomationEventArray& other) {
    if (&other == this) {
        return;
    }
    size_ = 0;
    if (other.size_ > capacity_) {
        SetSize(other.size_);
    }
    if (other.size_ > 0) {
        std::memcpy(data_, other.data_,
                    static_cast<size_t>(other.size_) * sizeof(CAutomationEvent));
    }
    size_ = other.size_;
}

int CAutomationEventArray::AddAtTime(const CAutomationEvent& event) {
    if (size_ == 0 || event.timeStamp >= data_[size_ - 1].timeStamp) {
        return Add(event);
    }
    if (event.timeStamp == 0) {
        // The last event is later than 0, so the scan ends inside the array.
        for (int i = 0; i < size_ && data_[i].timeStamp <= 0; ++i) {
            if (data_[i].timeStamp == 0 && data_[i].SameControl(event)) {
                data_[i] = event;
                data_[i].timeStamp = 0;
                return i;
            }
        }
    }
    // The first event later than the new one; the last event is later, so one exists.
    const auto* position = std::upper_bound(
        data_, data_ + size_, event.timeStamp,
        [](int32_t time, const CAutomationEvent& e) { return time < e.timeStamp; });
    const int index = static_cast<int>(position - data_);
    InsertAt(index, event);
    return index;
}

int CAutomationEventArray::GetAtTime(long time, int after) const {
    if (time == -1) {
        return 0;
    }
    if (size_ == 0) {
        return -1;
    }
    const auto* position =
        std::lower_bound(data_, data_ + size_, time,
                         [](const CAutomationEvent& e, long t) { return e.timeStamp < t; });
    int index = static_cast<int>(position - data_);
    if (index >= size_) {
        index = size_ - 1;
    }
    if (after == 0 || data_[index].timeStamp > time) {
        return index;
    }
    const auto* later =
        std::upper_bound(data_ + index, data_ + size_, time,
                         [](long t, const CAutomationEvent& e) { return t < e.timeStamp; });
    const int laterIndex = static_cast<int>(later - data_);
    return laterIndex >= size_ ? size_ - 1 : laterIndex;
}

namespace {

// Orderings of the three sort modes. Fields compare as the stored values do (signed
// 32-bit times and paths, unsigned module and control); a plain subtraction would overflow on
// widely separated 32-bit values and break the ordering.
struct ByTime {
    bool operator()(const CAutomationEvent& a, const CAutomationEvent& b) const {
        return std::tie(a.timeStamp, a.path, a.module, a.control) <
               std::tie(b.timeStamp, b.path, b.module, b.control);
    }
};
struct ByPathControlTime {
    bool operator()(const CAutomationEvent& a, const CAutomationEvent& b) const {
        return std::tie(a.path, a.module, a.control, a.timeStamp) <
               std::tie(b.path, b.module, b.control, b.timeStamp);
    }
};
struct ByPathTimeControl {
    bool operator()(const CAutomationEvent& a, const CAutomationEvent& b) const {
        return std::tie(a.path, a.timeStamp, a.module, a.control) <
               std::tie(b.path, b.timeStamp, b.module, b.control);
    }
};

// One byte of a sort key: a field of the event and the byte of it, from the least significant.
enum class Field : uint8_t { Time, Path, Module, Control };
struct Digit {
    Field field;
    uint8_t byte;
};

inline uint8_t DigitOf(const CAutomationEvent& e, Digit d) {
    switch (d.field) {
        case Field::Time:
            // Signed values sort as unsigned once the sign bit is flipped.
            return static_cast<uint8_t>((static_cast<uint32_t>(e.timeStamp) ^ 0x80000000u) >>
                                        (8 * d.byte));
        case Field::Path:
            return static_cast<uint8_t>((static_cast<uint32_t>(e.path) ^ 0x80000000u) >>
                                        (8 * d.byte));
        case Field::Module:
            return e.module;
        case Field::Control:
            return e.control;
    }
    return 0;
}

// Least-significant-digit radix sort: stable, and linear in the number of events. Digits whose
// byte is the same in every event (high bytes of paths and times, mostly) cost no pass.
template <size_t N>
void RadixSort(CAutomationEvent* data, size_t n, const std::array<Digit, N>& digits) {
    std::vector<std::array<uint32_t, 256>> counts(N);
    for (auto& c : counts) {
        c.fill(0);
    }
    for (size_t i = 0; i < n; ++i) {
        for (size_t d = 0; d < N; ++d) {
            ++counts[d][DigitOf(data[i], digits[d])];
        }
    }
    std::vector<CAutomationEvent> buffer(n);
    CAutomationEvent* from = data;
    CAutomationEvent* to = buffer.data();
    for (size_t d = 0; d < N; ++d) {
        auto& count = counts[d];
        if (std::find(count.begin(), count.end(), static_cast<uint32_t>(n)) != count.end()) {
            continue;  // every event has this byte: nothing to order
        }
        uint32_t offset = 0;
        for (auto& c : count) {
            const uint32_t here = c;
            c = offset;
            offset += here;
        }
        for (size_t i = 0; i < n; ++i) {
            to[count[DigitOf(from[i], digits[d])]++] = from[i];
        }
        std::swap(from, to);
    }
    if (from != data) {
        std::memcpy(data, from, n * sizeof(CAutomationEvent));
    }
}

constexpr Digit T(uint8_t b) {
    return {Field::Time, b};
}
constexpr Digit P(uint8_t b) {
    return {Field::Path, b};
}
constexpr Digit kModule{Field::Module, 0};
constexpr Digit kControl{Field::Control, 0};

// Digits from the least significant: the last field of each comparison comes first.
constexpr std::array<Digit, 10> kByTimeDigits = {kControl, kModule, P(0), P(1), P(2),
                                                 P(3),     T(0),    T(1), T(2), T(3)};
constexpr std::array<Digit, 10> kByPathControlTimeDigits = {T(0),    T(1), T(2), T(3), kControl,
                                                            kModule, P(0), P(1), P(2), P(3)};
constexpr std::array<Digit, 10> kByPathTimeControlDigits = {kControl, kModule, T(0), T(1), T(2),
                                                            T(3),     P(0),    P(1), P(2), P(3)};

template <typename Less, size_t N>
void SortEvents(CAutomationEvent* first, CAutomationEvent* last, Less less,
                const std::array<Digit, N>& digits) {
    // Two events that compare equal are changes of one control at one time; the later one in
    // the array is the one that stays in force, so their order must survive the sort.
    if (std::is_sorted(first, last, less)) {
        return;
    }
    const size_t n = static_cast<size_t>(last - first);
    if (n < 512) {
        std::stable_sort(first, last, less);
        return;
    }
    RadixSort(first, n, digits);
}

}  // namespace

void CAutomationEventArray::Sort(SortMode mode) {
    if (statusWnd_ != 0) {
        PostStatus(objectkit::StatusSortStarted, 0);
    }
    switch (mode) {
        case SortByTime:
            SortEvents(data_, data_ + size_, ByTime{}, kByTimeDigits);
            break;
        case SortByPathControlTime:
            SortEvents(data_, data_ + size_, ByPathControlTime{}, kByPathControlTimeDigits);
            break;
        case SortByPathTimeControl:
            SortEvents(data_, data_ + size_, ByPathTimeControl{}, kByPathTimeControlDigits);
            break;
        default:
            break;
    }
}

bool CAutomationEventArray::MakeTimeStampsContinuous() {
    if (size_ < 2) {
        return false;
    }
    bool changed = false;
    // Each comparison uses the predecessor's time from before this pass.
    int32_t previousOriginal = data_[0].timeStamp;
    for (int i = 1; i < size_; ++i) {
        const int32_t current = data_[i].timeStamp;
        if (previousOriginal > current) {
            data_[i - 1].timeStamp = current;
            changed = true;
        }
        previousOriginal = current;
    }
    return changed;
}

void CAutomationEventArray::DoTranslatePaths(const CTranslationPairArray& pairs) {
    if (size_ == 0 || pairs.pairs.empty()) {
        return;
    }
    selection_.startTime = std::max(selection_.startTime, 1);
    selection_.endTime = std::max(selection_.endTime, 1);
    for (int i = 0; i < size_; ++i) {
        for (const CTranslationPair& pair : pairs.pairs) {
            if (pair.from == data_[i].path) {
                data_[i].path = pair.to;
                break;
            }
        }
    }
}

void CAutomationEventArray::PostStatus(int code, long value) const {
    objectkit::PostStatusMessage(code, value);
}

void CAutomationEventArray::DebugMe() const {
    for (int i = 0; i < size_; ++i) {
        data_[i].DebugMe();
    }
}
