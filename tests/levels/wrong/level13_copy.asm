; the second push comes after the first pop: r1 is lost
push r1
pop r2
push r2
pop r1
hlt
