#ifndef CONTROLCOLOURS_H
#define CONTROLCOLOURS_H

class QWidget;

// The pages draw their labels white on the green background, and the style
// draws the arrows of spin boxes, scroll bars and sort indicators in the
// same window text colour, white on a light button. This gives those
// controls (under root, and root itself) their button text colour for the
// arrows; text and field colours stay as they are.
void keepArrowsVisible(QWidget* root);

#endif
