#pragma once

class QWidget;

// The size every action button of the plug-in shares.
void applyActionButtonSizing(QWidget *button);
