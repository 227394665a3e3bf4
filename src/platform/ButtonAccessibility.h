#pragma once

// Tells assistive technology that a push button which stays pressed is a push
// button with a pressed state (a toggle button), not a check box as Qt reports it.
// Safe to call more than once; windows call it as they are made.
void installButtonAccessibility();
