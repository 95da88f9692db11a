; mulh keeps the high byte of the product, not the low one
mulh r3 r1 r2
hlt
