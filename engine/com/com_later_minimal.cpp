// Minimal forms of the COM layer's event-sink and .NET seams (com_later.h): no object has
// event handlers and no context has a .NET host. The events, control host and .NET work
// replaces this file; until then ObjectClrNew, ObjectClrOption, ObjectClrType,
// ObjectEventAdd and ObjectEventRemove stay unserved (3046).
#include "engine/com/com_later.h"

void ComSinkAddUse(CComSink*) {}
void ComSinkDropUse(CComSink*) {}
void ComDeleteDotNet(BDS*) {}
