#include "program_files.h"

#include <cctype>

#include "file_input.h"
#include "file_output.h"
#include "zx81.h"

namespace {

ProgramImage refused(std::string reason) {
    return {{false, std::move(reason)}, {}};
}

}  // namespace

bool program_file_name(const std::string& name) {
    const std::string last = name.substr(name.find_last_of('/') + 1);
    const size_t dot = last.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string ending = last.substr(dot + 1);
    for (char& c : ending) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ending == "P" || ending == "81" || ending == "P81";
}

ProgramImage read_program_file(const std::string& name, int ram_kb) {
    if (!program_file_name(name)) return refused("not a program file (.P, .81 or .P81)");
    // More than the largest program is never read.
    FileBytes file = read_regular_file(name, largest_program);
    if (!file.ok) return refused(file.problem);
    return check_program_image(std::move(file.bytes), ram_kb);
}

FileResult load_program(Zx81& machine, const std::string& name) {
    const ProgramImage image = read_program_file(name, machine.ram_kb);
    if (image.result.ok) start_program(machine, image);
    return image.result;
}

FileResult save_program(const Zx81& machine, const std::string& name) {
    const ProgramImage program = program_in_memory(machine);
    if (!program.result.ok) return program.result;
    return write_whole_file(name, program.bytes, Streams::in_place);
}
