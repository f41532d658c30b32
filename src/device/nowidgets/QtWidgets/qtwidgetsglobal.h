// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in front of Qt's own header for the device library only: the device
// library talks to the KZ and must not use the window toolkit.
#error "the device library must not use widgets or the GUI"
