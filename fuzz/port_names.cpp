// The port-list source on directory trees built from the input: tty class entries with odd
// names, with or without a device link and with any "type" text, and device-directory entries
// of every kind (links to a pseudo-terminal of our own, to links, to files, dangling, looping,
// plain files and directories). The names found must be exactly those of a model of the tree.
//
// The input is read as records: one kind byte, one length byte, then that many name bytes
// ('/' and NUL become '_'); tty class records carry a type text after the name the same way.

#include "platform/ports/PortNames.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Tree {
    std::string root;
    std::string slave; // a pseudo-terminal of our own; only ever stat'ed by the source
    int master = -1;
    int slaveFd = -1;

    Tree() {
        const char* base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/tavrix-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        root = pattern;
        char name[256] = {};
        if (openpty(&master, &slaveFd, name, nullptr, nullptr) != 0) {
            std::abort();
        }
        slave = name;
    }
    ~Tree() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
        close(master);
        close(slaveFd);
    }
    std::string Class() const { return root + "/class"; }
    std::string Dev() const { return root + "/dev"; }
    std::string Devices() const { return root + "/devices"; }
};

Tree& TheTree() {
    static Tree tree;
    return tree;
}

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool More() const { return at < size; }
    std::uint8_t Byte() { return at < size ? data[at++] : 0; }
    std::string Text() {
        const std::size_t length = std::min<std::size_t>(Byte() % 24, size - at);
        std::string text(reinterpret_cast<const char*>(data + at), length);
        at += length;
        return text;
    }
};

std::string Name(std::string text) {
    std::replace(text.begin(), text.end(), '/', '_');
    std::replace(text.begin(), text.end(), '\0', '_');
    return text;
}

bool Usable(const std::string& name, std::set<std::string>& used) {
    return !name.empty() && name != "." && name != ".." && used.insert(name).second;
}

// What "type" reading 0 means: the text starts with a number that is 0.
bool ReadsZero(const std::string& text) {
    std::istringstream in(text);
    long value = -1;
    in >> value;
    return in && value == 0;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 2048) {
        return 0;
    }
    Tree& tree = TheTree();
    std::error_code ignored;
    fs::remove_all(tree.Class(), ignored);
    fs::remove_all(tree.Dev(), ignored);
    fs::remove_all(tree.Devices(), ignored);
    fs::create_directories(tree.Class());
    fs::create_directories(tree.Dev());
    fs::create_directories(tree.Devices());

    std::vector<std::string> ttys;
    std::vector<std::string> devs;
    std::set<std::string> classNames;
    std::set<std::string> devNames;
    bool dropRoot = false;
    Reader in{data, size};
    for (int record = 0; in.More() && record < 40; ++record) {
        const std::uint8_t kind = in.Byte();
        if (kind == 0xFF) {
            dropRoot = true;
            continue;
        }
        std::string name = Name(in.Text());
        if (kind & 0x80) {
            // Device directory: mostly names of the "tty" family.
            if (kind & 0x40) {
                name = "tty" + name;
            }
            if (!Usable(name, devNames)) {
                continue;
            }
            const std::string path = tree.Dev() + "/" + name;
            bool pty = false;
            switch (kind % 9) {
            case 0:
                fs::create_symlink(tree.slave, path);
                pty = true;
                break;
            case 1: { // a link to a link to the pseudo-terminal
                const std::string hop = tree.Devices() + "/hop" + std::to_string(record);
                fs::create_symlink(tree.slave, hop);
                fs::create_symlink(hop, path);
                pty = true;
                break;
            }
            case 2:
                fs::create_symlink("/dev/null", path); // a character device, not a terminal
                break;
            case 3:
                fs::create_symlink(name, path); // itself
                break;
            case 4:
                fs::create_symlink("missing/" + name, path);
                break;
            case 5:
                fs::create_symlink(tree.Devices(), path);
                break;
            case 6:
                WriteFile(path, name);
                break;
            case 7:
                fs::create_directory(path);
                break;
            case 8:
                fs::create_symlink(tree.Class(), path);
                break;
            }
            if (pty) {
                devs.push_back(name);
            }
            continue;
        }
        // tty class entry.
        const std::string type = in.Text();
        if (!Usable(name, classNames)) {
            continue;
        }
        const std::string entry = tree.Class() + "/" + name;
        const std::uint8_t form = kind & 3;
        if (form == 3) {
            WriteFile(entry, type); // a plain file: no device behind it
            continue;
        }
        if (form == 2) {
            // As sysfs has them: a link to the device's directory elsewhere.
            const std::string target = tree.Devices() + "/" + std::to_string(record);
            fs::create_directory(target);
            fs::create_symlink(target, entry);
        } else {
            fs::create_directory(entry);
        }
        const bool device = (kind & 4) != 0;
        if (device) {
            if (kind & 8) {
                fs::create_symlink("../../devices/" + name, entry + "/device"); // dangling
            } else {
                fs::create_directory(entry + "/device");
            }
        }
        const bool hasType = (kind & 16) != 0;
        if (hasType) {
            WriteFile(entry + "/type", type);
        }
        if (device && !(hasType && ReadsZero(type))) {
            ttys.push_back(name);
        }
    }
    // The model: tty class entries first, then the "tty" links to the pseudo-terminal.
    std::vector<std::string> expected = ttys;
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> links;
    for (const std::string& name : devs) {
        if (name.rfind("tty", 0) == 0) {
            links.push_back(name);
        }
    }
    std::sort(links.begin(), links.end());
    expected.insert(expected.end(), links.begin(), links.end());

    if (dropRoot) {
        fs::remove_all(tree.Dev(), ignored);
    }
    std::vector<std::string> names{"unchanged"};
    const bool ok = ports::ReadPortNames(tree.Class(), tree.Dev(), names);
    if (dropRoot) {
        if (ok || names != std::vector<std::string>{"unchanged"}) {
            std::abort();
        }
        return 0;
    }
    if (!ok || names != expected) {
        std::abort();
    }
    return 0;
}
