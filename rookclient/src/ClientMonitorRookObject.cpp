#include "rookclient/ClientMonitorRookObject.h"

#include "rookclient/CommandBlock.h"

using namespace rookclient;

CClientMonitorRookObject::CClientMonitorRookObject(int adviseEnabled)
    : CGenericRookObject(adviseEnabled) {}

CClientMonitorRookObject::~CClientMonitorRookObject() = default;

// The two words before the name stay zero.
void CClientMonitorRookObject::CMAttach(std::string name) {
    Attach(
        *this, kClientMonitorAttachCommand, 0, kClientMonitorAttachSize,
        [&name](CommandBlock& block) { block.PutName(kClientNameOffset, kClientNameWidth, name); });
}

void CClientMonitorRookObject::RequestCompleteShutDown() {
    Command(*this, kCompleteShutDownCommand, kHeaderSize);
}

std::string CClientMonitorRookObject::GetServerObjectName() {
    return "ClientMonitorRook";
}
