; r2 = r1! by recursion: n! = n * (n-1)!, 0! = 1
call r0 r0 fact
hlt
label fact
addi r0 r1 0       ; Z when r1 is 0
jne r0 r0 recurse
addi r2 r0 1
ret
label recurse
push r1
addi r1 r1 ff
call r0 r0 fact
pop r1
mul r2 r2 r1
ret
