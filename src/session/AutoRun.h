#pragma once

struct Global_var_module;

// The unattended run ("/auto"), with no window: the video named in the record is checked and
// scanned, the editor session starts on it, makes the chapters of the command line with their
// images or clips, and ends. The record must hold the start-up settings (RunStartup). Messages
// go through the message seam. Returns the program's exit code: 0 done, 1 the video was refused
// or is missing, 2 some files could not be written, 3 the run could not start or stopped before
// its last chapter.
int RunAutomatic(Global_var_module& record);
