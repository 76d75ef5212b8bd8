// COM values inside value records.
//
// A value record holds COM data in one of two forms:
// - a COM variant (VF_VARIANT): the record's VARIANT is valid and is the master copy; a
//   conversion may add engine forms (integer, text, float, 64-bit) beside it;
// - an object value: flags exactly VF_INT | VF_VARIANT | VF_COMOBJ (0x601), VARIANT type
//   word 0x4000 and the VARIANT's data word pointing at the CComObjectAg that the record
//   owns; the integer form is the low 32 bits of the object's IDispatch pointer. Tested
//   everywhere as IsObjectValue().
// A record that the evaluator read from a variable or an array element only borrows that
// variable's COM data (its origin names the variable); only a record without an origin, or
// a CResultVar that made its own copy, owns and releases COM data.
//
// Failures set the context's error number and answer 0; nothing throws.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "engine/core/value.h"

struct BDS;
struct MemberCache;
class CConstTable;
class CComSink;

constexpr VARTYPE VT_OBJECT_VALUE = VT_BYREF;   // 0x4000 with no base type
constexpr uint32_t OBJECT_VALUE_FLAGS = VF_INT | VF_VARIANT | VF_COMOBJ;
constexpr SCODE MISSING_ARGUMENT = DISP_E_PARAMNOTFOUND;

// The locale of every automation call and conversion.
constexpr LCID COM_LOCALE = 1024;

inline bool IsObjectValue(const ValueHead* v)
{
    return (v->flags & 0x600) == 0x600 && v->var.vt == VT_OBJECT_VALUE;
}
inline bool IsComVariant(const ValueHead* v) { return (v->flags & VF_VARIANT) && !IsObjectValue(v); }

// The IDispatch of an object, its class and the switch and store of the member-call cache.
struct DispatchHolder {
    IDispatch* disp;       // counted
    CLSID clsid;           // all zero when unknown
    uint32_t cacheOn;
    MemberCache* cache;    // made with the type information, when the cache is on
};
DispatchHolder* NewDispatchHolder();
void FreeDispatchHolder(DispatchHolder* holder);

// What an object value owns.
class CComObjectAg {
public:
    DispatchHolder* holder = nullptr;
    ITypeInfo* typeInfo = nullptr;       // counted: the dispatch interface's type, or null
    IEnumVARIANT* enumerator = nullptr;  // counted: made on the first collection step
    CConstTable* constants = nullptr;    // a constants object's table
    CComSink* sink = nullptr;            // shared by all copies (event handlers)

    CComObjectAg() = default;
    // The copy has its own holder (same IDispatch, cache off and empty), its own counted
    // type information and enumerator, a deep copy of the constants and the shared sink.
    CComObjectAg(const CComObjectAg& other);
    CComObjectAg& operator=(const CComObjectAg&) = delete;
    virtual ~CComObjectAg();

    IDispatch* Dispatch() const { return holder ? holder->disp : nullptr; }
    bool HasConstants() const;
};

// The CComObjectAg of an object value, else null.
CComObjectAg* ObjectOf(const ValueHead* v);

// The IDispatch in a VARIANT (VT_DISPATCH, VT_UNKNOWN through QueryInterface, either by
// reference), not counted for the caller; null when there is none. A failed
// QueryInterface is mapped under "GetDispatchFromVariant".
IDispatch* GetDispatchFromVariant(BDS* ctx, const VARIANT& v);

// Makes an object value in `target` around an interface (counted once more for the
// value), reading its type information; the old content of target is not released.
// Answers 1, or 0 with the error set (the failure mapped under "CComObjectAg::MakeObject").
class CDispBuilder;
int MakeObjectValue(BDS* ctx, CDispBuilder& builder, ValueHead* target);
int WrapDispatchAsObject(BDS* ctx, IDispatch* disp, bool cacheOn, ValueHead* target);

// The script form that a variant type maps to: VF_INT, VF_STRING, VF_FLOAT, VF_UNICODE,
// VF_INT64, or 0 (stays a COM variant).
uint32_t VariantNaturalForm(const ValueHead* v);

// Gives a COM variant the wanted engine form (VF_INT, VF_STRING, VF_FLOAT, VF_UNICODE,
// VF_INT64, VF_ARRAY); the VARIANT stays the master copy. 0 with the error set.
int ConvertVariantForm(BDS* ctx, ValueHead* v, uint32_t wanted);

// ---------------------------------------------------------------- the core's entries
// Converts a COM value in place to an engine form (as ConvertVariantForm).
int ValueConvertInPlace(BDS* ctx, uint32_t kind, ValueHead* value);
// Copies the source's COM data into the target's VARIANT as an independent value (an
// object value gets a CComObjectAg of its own). The target's VARIANT holds nothing yet.
int VariantToValueCopy(BDS* ctx, uint32_t flags, const ValueHead* source, ValueHead* target);
// Releases what a COM value holds and leaves its VARIANT empty.
void ValueReleaseComPayload(uint32_t flags, ValueHead* value);
// A COM variant of VT_BSTR or VT_BSTR by reference.
bool ValueIsBstr(const ValueHead* value);
// Both values are COM data of the same object: object values and interfaces compare by
// COM identity (IUnknown), other variants by type and bytes.
bool ValueSameObject(const ValueHead* a, const ValueHead* b);
// Whether a COM number must be taken as floating point.
bool VariantNeedsFloat(const ValueHead* value);
// The name of a variant type for ObjectTypeGet, the variable dump and DLLServices.
void VtTypeName(BDS* ctx, VARTYPE type, char* out, int size);
// A COM variant converted in place to the engine kind of its type (a SAFEARRAY stays).
int ValueToNativeKind(BDS* ctx, ValueHead* value);

// ---------------------------------------------------------------- CResultVar
// A value record wrapped for the COM layer: it owns what it holds (texts, array reference,
// COM data) unless it was loaded with Borrow, and releases it when it goes.
class CResultVar {
public:
    resultants v;
    BDS* ctx;

    explicit CResultVar(BDS* context);
    CResultVar(const CResultVar&) = delete;
    CResultVar& operator=(const CResultVar&) = delete;
    virtual ~CResultVar();

    // Releases the value; the binding to a variable or element goes too.
    void Release();
    // Releases the value and keeps the binding.
    void ReleaseKeepBinding();
    // Refers to a record without owning anything of it (it must outlive this wrapper).
    void Borrow(const resultants& source);
    // A deep copy of a record (texts, array reference and COM data), binding included.
    int CopyFrom(const resultants& source);
    // Refers to a variable's COM data (not owned) with the binding to that variable.
    void BindBorrowedCom(const ValueHead& head, uint16_t var, uint16_t scope);
    // Takes over a record that the evaluator filled; COM data borrowed from a variable is
    // copied so that this wrapper owns everything.
    int Adopt(resultants& source);
    // Hands the value to a caller's record (released first with `freeFirst`); an empty
    // wrapper gives the integer 0. Ownership passes to the target.
    void CopyOut(resultants* target, bool freeFirst);
    // Hands the value, bound to no variable, to the script's result record.
    void HandBack(resultants* result);
    void Detach();   // hands nothing back: forgets the value without releasing it

    bool Empty() const { return (v.flags & VF_HAS_VALUE) == 0 && !(v.flags & VF_INT); }
    bool Bound() const { return v.originVar != ORIGIN_NONE; }

    // Script value to VARIANT of type t (0: its natural type).
    int ValueToVariantType(VARTYPE t);
    int ChangeVariantType(VARTYPE t);
    int MakeByRef(VARTYPE t);
    int SetZeroOfType(VARTYPE t);
    // Loads a VARIANT (copied); an IDispatch becomes an object value.
    int VariantCopyToValue(const VARIANT& source);
    // A COM variant holding an IDispatch becomes an object value in place.
    int ValueToObjectValue();
    // An object value becomes VT_DISPATCH (the object deleted only when this wrapper owns it).
    int ObjectToDispatchInPlace();
    // Stores the value into the bound variable or element (out parameters, grown arrays).
    int WriteBack();
    // Whether the VARIANT differs from the one the bound variable or element holds.
    bool DiffersFromSource();

    // SAFEARRAYs and binary buffers (com_safearray.cpp).
    int ArrayToSafeArray(VARTYPE t);
    int VariantToArray();
    int BinaryBufferToVariant(VARTYPE t);
    int WriteBackToBuffer();
    int SafeArrayToBuffer();

private:
    bool ownsCom_ = true;
    bool borrowed_ = false;
    void ReleaseCom();
    void FreeTexts();
    void SetVariant(const VARIANT& fresh);   // releases the old COM data, takes `fresh`
    int IntegerToVariant(VARTYPE t);
    int Int64ToVariant(VARTYPE t);
    int TextToVariant(VARTYPE t, bool wide);
    ValueHead* SourceHead(bool* ok);
};
