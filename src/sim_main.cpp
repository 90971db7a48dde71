// sim_main: settings-file primitives, the CGI log and the simulated
// machine state.
//
// (module description to be completed)
#include "sim_main.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

// ==== Settings-file primitives ==============================================

// (hfp_load_data2, hfp_save_data2)

// ==== CGI log and machine state =============================================

int status = 0;
int kakudo = 0;
int color_num = 0;

// Opened and closed on every call, so each call's bytes are in the file when
// it returns and other writers may append between calls.
int append_log(const char* data, int length) {
    const int fd = open("cgi.log", O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) return fd;
    if (length > 0) {
        // A short or failed write goes unnoticed by design.
        const ssize_t written = write(fd, data, static_cast<size_t>(length));
        (void)written;
    }
    return close(fd);
}

void i_sim_main() {
    status = 4;
    kakudo = 300;
    color_num = 1;
}
