; popping in reverse order restores both registers unchanged
push r1
push r2
pop r2
pop r1
hlt
