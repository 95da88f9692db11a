; a jump leaves no return address: the function's ret underflows the stack
jmp r0 r0 100
hlt
