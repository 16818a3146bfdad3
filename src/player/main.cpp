// Program entry of the player.
#include "player/log_file.h"
#include "player/package_scan.h"
#include "resources/log.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
    FILE *log = player::log_file_open();
    std::string package_name = player::package_scan(".");
    if (package_name.empty()) {
        resources::log_line("Sux... no dpk file.");
        return 1;
    }
    resources::log_format("Found %s.\r\n", package_name.c_str());
    resources::log_line("Bye!");
    player::log_file_close(log);
    return 0;
}
