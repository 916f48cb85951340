#pragma once
// A fresh temporary folder that serves as XDG_DATA_HOME (and so holds ProgramDir()) for the
// lifetime of the object; the previous value is restored and the folder removed afterwards.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

namespace morvane {

class TempDataHome {
public:
    TempDataHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "morvane-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        dir_ = pattern;
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            old_ = old;
        ::setenv("XDG_DATA_HOME", dir_.c_str(), 1);
    }
    ~TempDataHome()
    {
        if (old_)
            ::setenv("XDG_DATA_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TempDataHome(const TempDataHome&) = delete;
    TempDataHome& operator=(const TempDataHome&) = delete;

    // The temporary folder itself (XDG_DATA_HOME); ProgramDir() is Path()/Morvane.
    const std::string& Path() const { return dir_; }
    std::string File(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
    std::optional<std::string> old_;
};

}  // namespace morvane
