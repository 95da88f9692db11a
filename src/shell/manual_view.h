// Shows the manual tree in a panel as a page of headings that open and close.
#pragma once

struct window;

void installManualView(window& panel);
