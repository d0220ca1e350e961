#include "RookServer.h"

#include <algorithm>

#include "AttachTable.h"
#include "platform/com/activation.h"

namespace rookd {
namespace {

using namespace platform::com;

class RookInstance final : public ServerInstance {
  public:
    RookInstance(RookServer& server, InstanceId id) : server_(server), id_(id) {}
    ~RookInstance() override { server_.OnInstanceGone(id_); }

    HRESULT SetData(const FORMATETC& format, std::span<const uint8_t> block) override {
        return server_.OnSetData(id_, format, block);
    }
    HRESULT GetData(const FORMATETC& format, std::optional<std::vector<uint8_t>>& block) override {
        return server_.OnGetData(id_, format, block);
    }
    HRESULT Advise(const FORMATETC& format, DWORD) override { return server_.OnAdvise(format); }

  private:
    RookServer& server_;
    const InstanceId id_;
};

void Keep(std::deque<RecordedCommand>& log, RecordedCommand command) {
    log.push_back(std::move(command));
    if (log.size() > kCommandsKept) {
        log.pop_front();
    }
}

}  // namespace

RookServer::RookServer() : format_(RegisterClipboardFormat("RookObjectClipboardFormat")) {}

RookServer::~RookServer() {
    classServer_.reset();
}

std::unique_ptr<RookServer> RookServer::Start(const std::string& busName, HRESULT* result) {
    std::unique_ptr<RookServer> server(new RookServer);
    RookServer* self = server.get();
    server->classServer_ = ClassServer::Start(
        busName, kServerClass,
        [self](InstanceId id, const std::string&) {
            self->bindings_[id] = "";
            return std::make_unique<RookInstance>(*self, id);
        },
        result);
    if (!server->classServer_) {
        return nullptr;
    }
    return server;
}

bool RookServer::FormatIsOurs(const FORMATETC& format) const {
    return format.cfFormat == format_;
}

HRESULT RookServer::OnSetData(InstanceId id, const FORMATETC& format,
                              std::span<const uint8_t> block) {
    if (!FormatIsOurs(format)) {
        return DV_E_FORMATETC;
    }
    const std::optional<BlockHeader> header = ReadHeader(block);
    if (!header) {
        return E_INVALIDARG;  // not even a header: nothing to record
    }
    std::string& bound = bindings_[id];
    if (const std::string_view object = ObjectOfAttach(header->command); !object.empty()) {
        bound = std::string(object);
    }
    RecordedCommand command{nextSequence_++, bound, id, header->command,
                            std::vector<uint8_t>(block.begin(), block.end())};
    Keep(bound.empty() ? unattached_ : objects_[bound].commands, std::move(command));
    return S_OK;
}

HRESULT RookServer::OnGetData(InstanceId id, const FORMATETC& format,
                              std::optional<std::vector<uint8_t>>& block) {
    if (!FormatIsOurs(format)) {
        return DV_E_FORMATETC;
    }
    auto bound = bindings_.find(id);
    if (bound == bindings_.end() || bound->second.empty()) {
        return SERVER_E_NO_DATA;
    }
    auto object = objects_.find(bound->second);
    if (object == objects_.end() || !object->second.image) {
        return SERVER_E_NO_DATA;
    }
    block = object->second.image;
    return S_OK;
}

HRESULT RookServer::OnAdvise(const FORMATETC& format) {
    if (!FormatIsOurs(format)) {
        return DV_E_FORMATETC;
    }
    if (notReady_ > 0) {
        --notReady_;
        return SERVER_E_NOT_READY;
    }
    if (booting_ > 0) {
        --booting_;
        return SERVER_E_BOOTING;
    }
    return S_OK;
}

void RookServer::OnInstanceGone(InstanceId id) {
    bindings_.erase(id);
}

size_t RookServer::PushTo(const std::string& object, const std::vector<uint8_t>& block) {
    size_t pushed = 0;
    for (const auto& [id, bound] : bindings_) {
        if (bound == object) {
            pushed += classServer_->Push(id, block);
        }
    }
    return pushed;
}

size_t RookServer::SetImage(const std::string& object, std::vector<uint8_t> image, bool push) {
    auto& stored = objects_[object].image;
    stored = std::move(image);
    return push ? PushTo(object, *stored) : 0;
}

size_t RookServer::PushImage(const std::string& object) {
    auto it = objects_.find(object);
    return it == objects_.end() || !it->second.image ? 0 : PushTo(object, *it->second.image);
}

void RookServer::ClearImage(const std::string& object) {
    if (auto it = objects_.find(object); it != objects_.end()) {
        it->second.image.reset();
    }
}

bool RookServer::SetMicLine(int line, const MicLineFields& fields, bool push, size_t* pushed) {
    auto& image = objects_["MicLineRook"].image;
    std::vector<uint8_t> changed =
        image && image->size() == kMicLineImageSize ? *image : NeutralMicLineImage();
    if (!rookd::SetMicLine(changed, line, fields)) {
        return false;
    }
    const size_t count = SetImage("MicLineRook", std::move(changed), push);
    if (pushed) {
        *pushed = count;
    }
    return true;
}

size_t RookServer::PushCloseRequest(uint32_t code) {
    return PushTo("ClientMonitorRook", CloseRequestBlock(code));
}

std::vector<RecordedCommand> RookServer::Commands(const std::string& object) const {
    std::vector<RecordedCommand> out;
    if (!object.empty()) {
        if (auto it = objects_.find(object); it != objects_.end()) {
            out.assign(it->second.commands.begin(), it->second.commands.end());
        }
        return out;
    }
    out.assign(unattached_.begin(), unattached_.end());
    for (const auto& [name, entry] : objects_) {
        out.insert(out.end(), entry.commands.begin(), entry.commands.end());
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.sequence < b.sequence; });
    return out;
}

std::vector<ObjectStatus> RookServer::Objects() const {
    std::map<std::string, ObjectStatus> status;
    for (const auto& [name, entry] : objects_) {
        status[name] = ObjectStatus{name, entry.image.has_value(), 0};
    }
    for (const auto& [id, bound] : bindings_) {
        if (!bound.empty()) {
            ObjectStatus& s = status[bound];
            s.name = bound;
            ++s.instances;
        }
    }
    std::vector<ObjectStatus> out;
    for (auto& [name, s] : status) {
        out.push_back(std::move(s));
    }
    return out;
}

std::optional<std::vector<uint8_t>> RookServer::Image(const std::string& object) const {
    auto it = objects_.find(object);
    return it == objects_.end() ? std::nullopt : it->second.image;
}

}  // namespace rookd
