// The call trampoline of DllCall: places up to 20 arguments by the 64-bit Windows calling
// convention and calls the entry, under an exception handler of its own.
//
// int DllCallInvoke(void* entry, uint32_t count, const uint32_t* codes,
//                   const uint64_t* ints, const double* floats, uint32_t returnCode,
//                   uint64_t* out)
//
// Answers 0 with the raw result in *out (xmm0 for return code 5, else rax), or 1 with the
// exception code in *out when the call raised an exception. Argument i is floats[i] when
// codes[i] is 5 (a double), else ints[i]. The first four travel in rcx, rdx, r8, r9 and
// xmm0-xmm3 at once: a double in both registers of its position, as variadic callees
// expect; the rest in the stack slots 4-19 of the outgoing area.
//
// The stack pointer comes back from the frame pointer after the call, so a callee that
// leaves the stack unbalanced does no harm. DllCallGuardHandler (dll_guard.cpp) catches
// every exception raised below this frame and unwinds to DllCallInvokeLanding with the
// exception code in rax.

        .intel_syntax noprefix
        .text

        .equ CODE_DOUBLE, 5
        .equ MAX_ARGS, 20
        .equ AREA, MAX_ARGS * 8          // 160: the outgoing area, a multiple of 16
        // Stack arguments from the frame pointer: 7 pushes, the return address, the
        // caller's home area of 4 slots.
        .equ ARG_FLOATS, 7 * 8 + 8 + 32
        .equ ARG_RETCODE, ARG_FLOATS + 8
        .equ ARG_OUT, ARG_FLOATS + 16

        .globl DllCallInvoke
        .globl DllCallInvokeLanding
        .def DllCallInvoke; .scl 2; .type 32; .endef
        .seh_proc DllCallInvoke
        .seh_handler DllCallGuardHandler, @except
DllCallInvoke:
        push rbp
        .seh_pushreg rbp
        push rbx
        .seh_pushreg rbx
        push rsi
        .seh_pushreg rsi
        push rdi
        .seh_pushreg rdi
        push r12
        .seh_pushreg r12
        push r13
        .seh_pushreg r13
        push r14
        .seh_pushreg r14
        mov rbp, rsp
        .seh_setframe rbp, 0
        sub rsp, AREA
        .seh_stackalloc AREA
        .seh_endprologue
        // Entry: rsp was 8 mod 16; seven pushes make it 0, and AREA keeps it so.

        mov r12, rcx                    // entry
        mov r13d, edx                   // count
        cmp r13d, MAX_ARGS
        jbe 1f
        mov r13d, MAX_ARGS
1:      mov r14, r8                     // codes
        mov rbx, r9                     // ints
        mov rsi, [rbp + ARG_FLOATS]     // floats

        // Every argument's 64-bit pattern into its slot of the area.
        xor ecx, ecx
2:      cmp ecx, r13d
        jae 4f
        mov rax, [rbx + rcx * 8]
        cmp dword ptr [r14 + rcx * 4], CODE_DOUBLE
        jne 3f
        mov rax, [rsi + rcx * 8]
3:      mov [rsp + rcx * 8], rax
        inc ecx
        jmp 2b

4:      mov rcx, [rsp]
        mov rdx, [rsp + 8]
        mov r8, [rsp + 16]
        mov r9, [rsp + 24]
        movq xmm0, rcx
        movq xmm1, rdx
        movq xmm2, r8
        movq xmm3, r9
        call r12

        mov rcx, [rbp + ARG_OUT]
        cmp dword ptr [rbp + ARG_RETCODE], CODE_DOUBLE
        jne 5f
        movq rax, xmm0
5:      mov [rcx], rax
        xor eax, eax
6:      lea rsp, [rbp]
        pop r14
        pop r13
        pop r12
        pop rdi
        pop rsi
        pop rbx
        pop rbp
        ret

// The unwind ends here with rbp and the other saved registers as the call left them and
// the exception code in rax.
DllCallInvokeLanding:
        mov rcx, [rbp + ARG_OUT]
        mov [rcx], rax
        mov eax, 1
        jmp 6b
        .seh_endproc
