#include <objectkit/AutomationEventArray.h>

#include <cstdio>

int main() {
    CAutomationEventArray events;
    CAutomationEvent event{};
    events.AddAtTime(event);
    std::printf("%d\n", events.GetSize());
    return events.GetSize() == 1 ? 0 : 1;
}
