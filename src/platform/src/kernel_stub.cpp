// placeholder until the kernel lands
