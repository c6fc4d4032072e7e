// The share modes of AVIFileOpenA between the opens of one process: every open file is entered in a
// table with its access and share flags while it is open, and an open that an earlier one denies (or
// that would deny an earlier one) fails. Other processes are not held off.
#pragma once

#include "platform/win/WinTypes.h"

#include <memory>
#include <string>

namespace win {

// The table entry of one open; leaving the table when destroyed. nullptr with a reason when the open
// conflicts with another. fd identifies the file (by device and inode).
std::shared_ptr<void> aviShareAcquire(int fd, UINT mode, std::string& why);

} // namespace win
