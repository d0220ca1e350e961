#include <objectkit/AutomationEventArray.h>
#include <rookclient/CommandBlock.h>
#include <rookclient/MicLineRookObject.h>

#include <cstdio>

// A console program's receiver of the mic-line image.
class Receiver : public CMicLineRookObject {
  public:
    Receiver() : CMicLineRookObject(1) {}
    int OnLinkIn(_CommsStructure* block) override { return block != nullptr; }
};

int main(int argc, char**) {
    CAutomationEventArray events;
    CAutomationEvent event{};
    events.AddAtTime(event);
    std::printf("%d\n", events.GetSize());
    if (argc > 1) {
        // Linked, not run: there is no object server here.
        Receiver receiver;
        receiver.MLAttach();
    }
    rookclient::CommandBlock block(276, 16);
    return events.GetSize() == 1 && block.Valid() ? 0 : 1;
}
