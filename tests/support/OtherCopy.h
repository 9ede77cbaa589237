// Another copy of the program holding a book: a process of its own that takes the book's lock and
// keeps it until the object goes.
#pragma once

#include "BookFile.h"
#include "OpenBook.h"

#include <sys/wait.h>
#include <unistd.h>

#include <string>

class OtherCopy {
public:
    OtherCopy(const std::string& folder, const std::string& account, bool newBook) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_end) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(m_end[1]); // the end comes when the test closes its side
            BookFile held;
            const std::string path = OpenBook::PathOf(folder, account);
            const char claimed = newBook ? held.ClaimNew(path) : held.ClaimExisting(path);
            char ignored = 0;
            ::_exit(::write(ready[1], &claimed, 1) == 1 && ::read(m_end[0], &ignored, 1) >= 0 ? 0 : 1);
        }
        char claimed = 0;
        m_claimed = ::read(ready[0], &claimed, 1) == 1 && claimed;
        for (const int fd : {ready[0], ready[1], m_end[0]})
            ::close(fd);
    }
    ~OtherCopy() {
        ::close(m_end[1]);
        ::waitpid(m_pid, nullptr, 0);
    }
    bool Claimed() const { return m_claimed; }

private:
    pid_t m_pid = -1;
    int m_end[2] = {-1, -1};
    bool m_claimed = false;
};
