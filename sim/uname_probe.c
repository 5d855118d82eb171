/* Prints what the uname() system call answers, one field a line: system
 * name, release, machine. The sandbox's tests run it to check that the
 * preloaded uname() gives the configured release. */
#include <stdio.h>
#include <sys/utsname.h>

int main(void) {
    struct utsname name;
    if (uname(&name) != 0) {
        perror("uname");
        return 1;
    }
    printf("%s\n%s\n%s\n", name.sysname, name.release, name.machine);
    return 0;
}
