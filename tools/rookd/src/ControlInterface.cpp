#include "ControlInterface.h"

#include <signal.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include "RookServer.h"
#include "platform/com/bus.h"

namespace rookd {
namespace {

RookServer& ServerOf(void* userdata) {
    return static_cast<ControlInterface*>(userdata)->server;
}

// Sends a reply that was built step by step (closing its open array first with
// `closeArray`) unless a step failed (r < 0); frees it either way.
int FinishReply(sd_bus_message* reply, int r, bool closeArray) {
    if (r >= 0 && closeArray) {
        r = sd_bus_message_close_container(reply);
    }
    if (r >= 0) {
        r = sd_bus_send(nullptr, reply, nullptr);
    }
    sd_bus_message_unref(reply);
    return r;
}

int ReplyCount(sd_bus_message* m, size_t count) {
    return sd_bus_reply_method_return(m, "u", static_cast<uint32_t>(count));
}

int OnSetImage(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* object = nullptr;
    const void* bytes = nullptr;
    size_t size = 0;
    int push = 0;
    int r = sd_bus_message_read(m, "s", &object);
    if (r >= 0) {
        r = sd_bus_message_read_array(m, 'y', &bytes, &size);
    }
    if (r >= 0) {
        r = sd_bus_message_read(m, "b", &push);
    }
    if (r < 0) {
        return r;
    }
    const auto* begin = static_cast<const uint8_t*>(bytes);
    return ReplyCount(m,
                      ServerOf(userdata).SetImage(
                          object, std::vector<uint8_t>(begin, begin + (bytes ? size : 0)), push));
}

int OnPushImage(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* object = nullptr;
    const int r = sd_bus_message_read(m, "s", &object);
    return r < 0 ? r : ReplyCount(m, ServerOf(userdata).PushImage(object));
}

int OnClearImage(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* object = nullptr;
    const int r = sd_bus_message_read(m, "s", &object);
    if (r < 0) {
        return r;
    }
    ServerOf(userdata).ClearImage(object);
    return sd_bus_reply_method_return(m, "");
}

int OnGetImage(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    const char* object = nullptr;
    const int r = sd_bus_message_read(m, "s", &object);
    if (r < 0) {
        return r;
    }
    const std::optional<std::vector<uint8_t>> image = ServerOf(userdata).Image(object);
    if (!image) {
        return sd_bus_error_set(error, kNoImageError, "the object has no image");
    }
    sd_bus_message* reply = nullptr;
    int w = sd_bus_message_new_method_return(m, &reply);
    if (w >= 0) {
        w = sd_bus_message_append_array(reply, 'y', image->data(), image->size());
    }
    return FinishReply(reply, w, false);
}

int OnSetMicLine(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    uint32_t line = 0;
    MicLineFields fields;
    int push = 0;
    const int r = sd_bus_message_read(m, "uyyyyb", &line, &fields.phantom, &fields.pad,
                                      &fields.gainStep, &fields.select, &push);
    if (r < 0) {
        return r;
    }
    size_t pushed = 0;
    if (line > 1000 ||
        !ServerOf(userdata).SetMicLine(static_cast<int>(line), fields, push, &pushed)) {
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS,
                                "mic lines are numbered 1 to 120");
    }
    return ReplyCount(m, pushed);
}

int OnSendCloseRequest(sd_bus_message* m, void* userdata, sd_bus_error*) {
    uint32_t code = 0;
    const int r = sd_bus_message_read(m, "u", &code);
    return r < 0 ? r : ReplyCount(m, ServerOf(userdata).PushCloseRequest(code));
}

// AnswerNotReady and AnswerBooting: the server answers the next `count` DAdvise calls so.
template <void (RookServer::*answer)(uint32_t)>
int OnAnswerCount(sd_bus_message* m, void* userdata, sd_bus_error*) {
    uint32_t count = 0;
    const int r = sd_bus_message_read(m, "u", &count);
    if (r < 0) {
        return r;
    }
    (ServerOf(userdata).*answer)(count);
    return sd_bus_reply_method_return(m, "");
}

int OnListCommands(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* object = nullptr;
    int r = sd_bus_message_read(m, "s", &object);
    if (r < 0) {
        return r;
    }
    sd_bus_message* reply = nullptr;
    if ((r = sd_bus_message_new_method_return(m, &reply)) < 0) {
        return r;
    }
    r = sd_bus_message_open_container(reply, 'a', "(stuuay)");
    for (const RecordedCommand& c : ServerOf(userdata).Commands(object)) {
        if (r < 0) {
            break;
        }
        r = sd_bus_message_open_container(reply, 'r', "stuuay");
        if (r >= 0) {
            r = sd_bus_message_append(reply, "stuu", c.object.c_str(), c.sequence, c.instance,
                                      c.command);
        }
        if (r >= 0) {
            r = sd_bus_message_append_array(reply, 'y', c.block.data(), c.block.size());
        }
        if (r >= 0) {
            r = sd_bus_message_close_container(reply);
        }
    }
    return FinishReply(reply, r, true);
}

int OnListObjects(sd_bus_message* m, void* userdata, sd_bus_error*) {
    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(m, &reply);
    if (r < 0) {
        return r;
    }
    r = sd_bus_message_open_container(reply, 'a', "(sbu)");
    for (const ObjectStatus& s : ServerOf(userdata).Objects()) {
        if (r >= 0) {
            r = sd_bus_message_append(reply, "(sbu)", s.name.c_str(), s.hasImage, s.instances);
        }
    }
    return FinishReply(reply, r, true);
}

int OnExit(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const int r = sd_bus_reply_method_return(m, "");
    auto* control = static_cast<ControlInterface*>(userdata);
    if (control->onExit) {
        control->onExit();
    }
    return r;
}

int OnDie(sd_bus_message*, void*, sd_bus_error*) {
    // As a crash: no reply, no name released, nothing flushed.
    kill(getpid(), SIGKILL);
    _exit(137);
}

const sd_bus_vtable kControlVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS("SetImage", SD_BUS_ARGS("s", object, "ay", image, "b", push),
                            SD_BUS_RESULT("u", pushed), OnSetImage, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("PushImage", SD_BUS_ARGS("s", object), SD_BUS_RESULT("u", pushed),
                            OnPushImage, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("ClearImage", SD_BUS_ARGS("s", object), SD_BUS_NO_RESULT, OnClearImage,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("GetImage", SD_BUS_ARGS("s", object), SD_BUS_RESULT("ay", image),
                            OnGetImage, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS(
        "SetMicLine",
        SD_BUS_ARGS("u", line, "y", phantom, "y", pad, "y", gain, "y", select, "b", push),
        SD_BUS_RESULT("u", pushed), OnSetMicLine, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("SendCloseRequest", SD_BUS_ARGS("u", code), SD_BUS_RESULT("u", pushed),
                            OnSendCloseRequest, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("AnswerNotReady", SD_BUS_ARGS("u", count), SD_BUS_NO_RESULT,
                            OnAnswerCount<&RookServer::AnswerNotReady>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("AnswerBooting", SD_BUS_ARGS("u", count), SD_BUS_NO_RESULT,
                            OnAnswerCount<&RookServer::AnswerBooting>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("ListCommands", SD_BUS_ARGS("s", object),
                            SD_BUS_RESULT("a(stuuay)", commands), OnListCommands,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("ListObjects", SD_BUS_NO_ARGS, SD_BUS_RESULT("a(sbu)", objects),
                            OnListObjects, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Exit", "", "", OnExit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Die", "", "", OnDie, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}  // namespace

std::unique_ptr<ControlInterface> ControlInterface::Export(RookServer& server,
                                                           std::function<void()> onExit) {
    sd_bus* bus = platform::com::CurrentThreadBus();
    if (!bus) {
        return nullptr;
    }
    std::unique_ptr<ControlInterface> control(new ControlInterface(server, std::move(onExit)));
    if (sd_bus_add_object_vtable(bus, &control->slot_, kControlPath, kControlInterface,
                                 kControlVtable, control.get()) < 0) {
        return nullptr;
    }
    return control;
}

ControlInterface::~ControlInterface() {
    sd_bus_slot_unref(slot_);
}

}  // namespace rookd
