; pushes r1 twice: FD00 is right, SP is FD02
push r1
push r1
hlt
