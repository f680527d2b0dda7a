# uint32_t stackLeftBy(void* fn, const uint32_t* args, int count, uint32_t* result)
# Calls fn with `count` 32-bit arguments (args[0] first), stores what it
# returned in *result and returns how many bytes of the arguments the call
# left on the stack: 0 when the callee removes its own, 4 * count when the
# caller would have to.
        .intel_syntax noprefix
        .text
        .globl _stackLeftBy
        .def _stackLeftBy; .scl 2; .type 32; .endef
_stackLeftBy:
        push ebp
        mov ebp, esp
        push ebx
        push esi
        push edi
        mov esi, DWORD PTR [ebp+12]
        mov ecx, DWORD PTR [ebp+16]
        mov ebx, esp
push_next:
        test ecx, ecx
        jz do_call
        dec ecx
        push DWORD PTR [esi+ecx*4]
        jmp push_next
do_call:
        call DWORD PTR [ebp+8]
        mov ecx, DWORD PTR [ebp+20]
        mov DWORD PTR [ecx], eax
        mov eax, ebx
        sub eax, esp
        mov esp, ebx
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret
