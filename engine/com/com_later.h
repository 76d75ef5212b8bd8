// The seams of the COM layer that event sinks and the .NET host fill: until they are
// built their minimal forms (com_later_minimal.cpp) answer as for an object without
// event handlers and a context without a .NET runtime.
#pragma once

struct BDS;
class CComSink;

// Every copy of an object value shares its event sink and counts one use of it; the last
// use disconnects and releases it.
void ComSinkAddUse(CComSink* sink);
void ComSinkDropUse(CComSink* sink);

// Deletes the context's .NET host, when one was made.
void ComDeleteDotNet(BDS* ctx);
