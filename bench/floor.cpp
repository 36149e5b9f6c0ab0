// The floor for start-up cost: a program that makes only the two system
// calls the greeting needs, write and exit_group, with no C library at all.
// Linux x86-64 only; built by bench/startup.sh with -nostdlib -static.

extern "C" [[noreturn]] void _start()
{
    static const char greeting[] = "helloworld";
    long result = 1; // SYS_write
    asm volatile("syscall"
                 : "+a"(result)
                 : "D"(1), "S"(greeting), "d"(sizeof greeting - 1)
                 : "rcx", "r11", "memory");
    asm volatile("syscall" : : "a"(231), "D"(0) : "rcx", "r11", "memory"); // SYS_exit_group
    __builtin_unreachable();
}
