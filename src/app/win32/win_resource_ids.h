#ifndef PLENVO_WIN_RESOURCE_IDS_H
#define PLENVO_WIN_RESOURCE_IDS_H

// Resource numbers shared by the resource scripts and the code. The program's
// own icon has the lowest number: Explorer shows the first icon it finds.
#define PLENVO_ICON_PROGRAM 1
// The seven frames of the tray icon, frame 0 first.
#define PLENVO_ICON_FRAME0 100

#endif
