; pushes r2 instead of r1
push r2
hlt
