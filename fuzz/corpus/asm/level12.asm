pop r1
hlt
