#pragma once

// Associates ".rv5" settings files with this program for the current user: what the information
// page's "file társítása" link calls. Nothing outside the user's own part of the system is
// written, so no administrator rights are needed. One implementation per platform:
//   association_posix.cpp  the freedesktop files of fileassoc.h (MIME type, desktop entry, icons,
//                          default application) and the desktop's refresh tools;
//   association_win.cpp    the registry keys under HKEY_CURRENT_USER\Software\Classes, then the
//                          shell's notice that associations have changed.

namespace rv58 {

// True when every part was written (a refresh tool that is not installed does not count). Every
// part is tried whatever happened to the others; the user is never told. May take seconds (the
// refresh tools): the window runs it off its thread.
bool AssociateFileType();

} // namespace rv58
