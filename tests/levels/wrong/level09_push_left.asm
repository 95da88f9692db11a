; saves r2 on the stack before the call and never pops it: SP is left at FD01
push r2
call r0 r0 fc
hlt
