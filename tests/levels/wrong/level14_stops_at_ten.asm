; r1 = 10 (sixteen) handled apart with a wrong constant: 16! ends in 00, not 80
addi r2 r0 1
addi r0 r1 f0      ; Z when r1 is 10
jeq r0 r0 top
label loop
mul r2 r2 r1
addi r1 r1 ff
jne r0 r0 loop
hlt
label top
addi r2 r0 80      ; 10! = 0x13077775800000 ends in 00, not 80
hlt
