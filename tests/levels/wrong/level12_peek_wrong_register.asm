; pops into r2
pop r2
hlt
