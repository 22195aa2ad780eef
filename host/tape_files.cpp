#include "tape_files.h"

#include <cctype>
#include <filesystem>

#include "program_files.h"
#include "zx81.h"

namespace fs = std::filesystem;

namespace {

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool ends_as_program(const std::string& name) {
    const std::string up = upper(name);
    return up.ends_with(".P") || up.ends_with(".81");
}

TapeResult failed(Zx81& machine, std::string message, std::string path = {}) {
    break_tape_command(machine);
    return {false, std::move(path), std::move(message)};
}

TapeResult save_by_name(Zx81& machine, const std::string& folder) {
    const HostName host = host_file_name(machine.tape.command.name);
    const std::string shown = printable_name(machine.tape.command.name);
    if (!host.problem.empty()) return failed(machine, "Cannot save " + shown + "\n" + host.problem);
    const std::string file = ends_as_program(host.name) ? host.name : host.name + ".P";
    const std::string path = (fs::path(folder) / file).string();
    const FileResult saved = save_program(machine, path);
    if (!saved.ok) return failed(machine, "Cannot save " + path + "\n" + saved.reason, path);
    finish_tape_command(machine);
    return {true, path, {}};
}

TapeResult load_by_name(Zx81& machine, const std::string& folder) {
    const HostName host = host_file_name(machine.tape.command.name);
    const std::string shown = printable_name(machine.tape.command.name);
    if (!host.problem.empty()) return failed(machine, "Cannot load " + shown + "\n" + host.problem);
    const TapeFile file = find_tape_file(folder, host.name);
    const std::string where = fs::absolute(folder).lexically_normal().string();
    if (!file.problem.empty()) return failed(machine, "Cannot load " + host.name + "\n" + where + ": " + file.problem);
    if (file.path.empty())
        return failed(machine, "Cannot load " + host.name + "\nno " + host.name + ".P or " + host.name + ".81 in " +
                                   where);
    return load_tape_file(machine, file.path);
}

}  // namespace

TapeFile find_tape_file(const std::string& folder, const std::string& name) {
    // In order of preference; the last only for a name that is a file name
    // already.
    std::vector<std::string> wanted = {name + ".P", name + ".p", name + ".81"};
    if (ends_as_program(name)) wanted.push_back(name);
    std::vector<std::string> found(wanted.size());
    std::error_code error;
    fs::directory_iterator listing(folder, error);
    if (error) return {{}, error.message()};
    for (const fs::directory_entry& entry : listing) {
        const std::string file = entry.path().filename().string();
        for (size_t i = 0; i < wanted.size(); ++i) {
            const bool exact = file == wanted[i];
            // The exact name first, then the first in order of any case.
            const bool better = found[i].empty() || exact || (found[i] != wanted[i] && file < found[i]);
            if ((exact || upper(file) == upper(wanted[i])) && better) found[i] = file;
        }
    }
    for (const std::string& file : found)
        if (!file.empty()) return {(fs::path(folder) / file).string(), {}};
    return {};
}

TapeResult serve_tape_command(Zx81& machine, const std::string& folder) {
    switch (machine.tape.command.action) {
    case TapeAction::save: return save_by_name(machine, folder);
    case TapeAction::load:
        if (machine.tape.command.name.empty()) return {false, {}, "LOAD \"\" needs a file chosen"};
        return load_by_name(machine, folder);
    case TapeAction::none: break;
    }
    return {false, {}, "no LOAD or SAVE is waiting"};
}

TapeResult load_tape_file(Zx81& machine, const std::string& path) {
    if (machine.tape.command.action != TapeAction::load) return {false, path, "no LOAD is waiting"};
    const ProgramImage image = read_program_file(path, machine.ram_kb);
    if (!image.result.ok) return failed(machine, "Cannot load " + path + "\n" + image.result.reason, path);
    finish_tape_load(machine, image);
    return {true, path, {}};
}
