// The common entry of every callback thunk (callbacks.cpp writes the thunks).
//
// A thunk loads r10 with the address of its cell and jumps here, so this routine runs as if
// native code had called it directly: the return address at [rsp], the first four
// arguments in rcx, rdx, r8, r9 or, for doubles, xmm0-xmm3, the others in the caller's
// stack slots from [rsp + 40] on. It captures the registers before anything can change
// them, homes the integer ones into the caller's home area so that all integer arguments
// lie in one row, and calls
//
//   uint64_t DllCallbackDispatch(void* cell, const double* floats, const uint64_t* ints,
//                                uint32_t* raise)
//
// whose 64-bit answer goes back in rax and, as a double's bits, in xmm0. When the dispatch
// sets *raise (the callback was destroyed) the entry raises STATUS_INVALID_HANDLE, which a
// surrounding DllCall turns into its error.

        .intel_syntax noprefix
        .text

        .equ STATUS_INVALID_HANDLE, 0xC0000008
        // Locals above the callee's home area: four captured floats, the raise flag.
        .equ FLOATS, 32
        .equ RAISE, 64
        .equ LOCALS, 80

        .globl DllCallbackEntry
        .def DllCallbackEntry; .scl 2; .type 32; .endef
        .seh_proc DllCallbackEntry
DllCallbackEntry:
        mov [rsp + 8], rcx
        mov [rsp + 16], rdx
        mov [rsp + 24], r8
        mov [rsp + 32], r9
        push rbp
        .seh_pushreg rbp
        mov rbp, rsp
        .seh_setframe rbp, 0
        sub rsp, LOCALS
        .seh_stackalloc LOCALS
        .seh_endprologue
        // Entry: rsp was 8 mod 16; the push and LOCALS make it 0.

        movsd [rsp + FLOATS], xmm0
        movsd [rsp + FLOATS + 8], xmm1
        movsd [rsp + FLOATS + 16], xmm2
        movsd [rsp + FLOATS + 24], xmm3
        mov dword ptr [rsp + RAISE], 0
        mov rcx, r10                    // the cell
        lea rdx, [rsp + FLOATS]         // the captured floats
        lea r8, [rbp + 16]              // the integer arguments: home area, then stack slots
        lea r9, [rsp + RAISE]
        call DllCallbackDispatch
        cmp dword ptr [rsp + RAISE], 0
        jne 1f
        movq xmm0, rax
        add rsp, LOCALS
        pop rbp
        ret

1:      mov ecx, STATUS_INVALID_HANDLE
        xor edx, edx                    // continuable
        xor r8d, r8d
        xor r9d, r9d
        call qword ptr [rip + __imp_RaiseException]
        xor eax, eax                    // a handler that continues gets 0
        movq xmm0, rax
        add rsp, LOCALS
        pop rbp
        ret
        .seh_endproc
