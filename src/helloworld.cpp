// The C headers, not <cstdio>: libstdc++ for MinGW turns on MinGW's own
// printf, which writes to a console byte by byte; msvcrt's writes once.
#include <errno.h>
#include <stdio.h>
#include <string.h>

int main()
{
    errno = 0;
    bool written = printf("helloworld") == 10;
    int error = errno;

    // The greeting may still sit in the buffer, and some file systems report
    // a failed write only on close. Flush first: msvcrt's fclose drops the
    // result of its own flush.
    if (written && (fflush(stdout) != 0 || fclose(stdout) != 0)) {
        written = false;
        error = errno;
    }
    if (written) {
        return 0;
    }
    if (error == 0) {
        error = EIO;
    }

    // If standard error is gone too, there is nobody left to tell.
    (void)fprintf(stderr, "helloworld: write error: %s\n", strerror(error));
    return 1;
}
