#include "platform/keyboard.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr char kEscape = 0x1B;

// Reads keys without echo or line buffering while it lives, so a single
// Escape is seen at once; the terminal's settings come back afterwards.
class ConsoleKeyboard final : public Keyboard {
public:
    ConsoleKeyboard()
    {
        if (tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios raw = saved_;
            raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
            raw.c_cc[VMIN] = 0;
            raw.c_cc[VTIME] = 0;
            restore_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
        }
    }
    ~ConsoleKeyboard() override
    {
        if (restore_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }

    bool EscapePressed() override
    {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        while (poll(&input, 1, 0) > 0 && (input.revents & POLLIN)) {
            char key = 0;
            if (read(STDIN_FILENO, &key, 1) != 1) return false;
            if (key == kEscape) return true;
        }
        return false;
    }

private:
    termios saved_{};
    bool restore_ = false;
};

}  // namespace

std::unique_ptr<Keyboard> MakeConsoleKeyboard()
{
    if (isatty(STDIN_FILENO)) return std::make_unique<ConsoleKeyboard>();
    return std::make_unique<NoKeyboard>();
}
