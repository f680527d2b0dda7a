# Structured-exception guard and the outside-call trampoline (x86-32, cdecl).
        .intel_syntax noprefix
        .text

# Clears the direction flag and empties the x87 stack, keeping the control
# word (precision and rounding) that was set.
        .macro reset_fpu
        cld
        sub esp, 4
        fnstcw WORD PTR [esp]
        fninit
        fldcw WORD PTR [esp]
        add esp, 4
        .endm

# int qrt_guarded_call(int (*fn)(void*), void* arg)
# The exception registration record on the stack is
#   [esp+0] previous record, [esp+4] handler, [esp+8] saved ebp.
        .globl _qrt_guarded_call
        .def _qrt_guarded_call; .scl 2; .type 32; .endef
_qrt_guarded_call:
        push ebp
        mov ebp, esp
        push ebx
        push esi
        push edi
        push ebp
        push OFFSET _qrt_fault_handler
        push DWORD PTR fs:[0]
        mov DWORD PTR fs:[0], esp
        push DWORD PTR [ebp+12]
        call DWORD PTR [ebp+8]
        add esp, 4
guard_unlink:
        mov ecx, DWORD PTR [esp]
        mov DWORD PTR fs:[0], ecx
        add esp, 12
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret

# Entered by the fault handler with esp at the registration record.
        .globl _qrt_fault_landing
        .def _qrt_fault_landing; .scl 2; .type 32; .endef
_qrt_fault_landing:
        mov ebp, DWORD PTR [esp+8]
        reset_fpu
        mov eax, -1
        jmp guard_unlink

# uint32_t qrt_call_exported(void* fn, const uint32_t* args, int count)
        .globl _qrt_call_exported
        .def _qrt_call_exported; .scl 2; .type 32; .endef
_qrt_call_exported:
        push ebp
        mov ebp, esp
        push ebx
        push esi
        push edi
        mov esi, DWORD PTR [ebp+12]
        mov ecx, DWORD PTR [ebp+16]
push_next:
        test ecx, ecx
        jz do_call
        dec ecx
        push DWORD PTR [esi+ecx*4]
        jmp push_next
do_call:
        call DWORD PTR [ebp+8]
        lea esp, [ebp-12]
        reset_fpu
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret
