#pragma once
// The background the Scan and Reports panes share: the main view's blue gradient with a grey
// pixel at the left edge of each row, under a white rounded panel that reaches past the right
// edge and whose bottom 50 pixels are light grey (the button band).
class QWidget;

namespace mirvale {

void PaintPaneBackground(QWidget& widget);

}  // namespace mirvale
