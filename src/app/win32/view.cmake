# The windows of the console drawn in plain Win32: forms, message boxes, the folder picker.
