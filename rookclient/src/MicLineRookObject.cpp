#include "rookclient/MicLineRookObject.h"

#include "rookclient/CommandBlock.h"

CMicLineRookObject::CMicLineRookObject(int adviseEnabled) : CGenericRookObject(adviseEnabled) {}

CMicLineRookObject::~CMicLineRookObject() = default;

void CMicLineRookObject::MLAttach() {
    rookclient::Attach(*this, rookclient::kMicLineAttachCommand, 0);
}

std::string CMicLineRookObject::GetServerObjectName() {
    return "MicLineRook";
}
