#include "mic/journal/ChangeJournal.h"

#include <algorithm>

#include "mic/core/PresetFile.h"

namespace mic::journal {

namespace {

int64_t SystemNowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string DefaultJournalPath() {
    return StateDirectory() + "/journal.db";
}

std::unique_ptr<ChangeJournal> ChangeJournal::Open(JournalOptions options, std::string* error) {
    if (options.path.empty()) {
        options.path = DefaultJournalPath();
    }
    if (!options.clock) {
        options.clock = SystemNowUs;
    }
    auto store = JournalStore::Open(options.path, JournalStore::Mode::ReadWrite, error);
    if (!store) {
        return nullptr;
    }
    auto writer =
        std::make_unique<JournalWriter>(std::move(store), options.queueCapacity, options.limits,
                                        options.clock, std::move(options.onCommit));
    return std::unique_ptr<ChangeJournal>(
        new ChangeJournal(options.path, options.clock, std::move(writer)));
}

ChangeJournal::ChangeJournal(std::string path, JournalWriter::Clock clock,
                             std::unique_ptr<JournalWriter> writer)
    : path_(std::move(path)), clock_(std::move(clock)), writer_(std::move(writer)) {}

ChangeJournal::~ChangeJournal() = default;

void ChangeJournal::ChannelChanged(const ChannelChange& change) {
    JournalRow row;
    row.timeUs = clock_();
    row.change = change;
    for (JournalListener* listener : listeners_) {
        listener->JournalRowAdded(row);
    }
    writer_->Push(std::move(row));
}

void ChangeJournal::AddListener(JournalListener* listener) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
    }
}

void ChangeJournal::RemoveListener(JournalListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

std::vector<JournalRow> ChangeJournal::Read(const JournalFilter& filter,
                                            std::chrono::milliseconds wait) {
    writer_->Flush(wait);
    if (!reader_) {
        reader_ = JournalStore::Open(path_, JournalStore::Mode::ReadOnly);
        if (!reader_) {
            return {};
        }
    }
    return reader_->Query(filter);
}

}  // namespace mic::journal
