; the function at 0100 needs a real call: its ret pops the return address
call r0 r0 100
hlt
