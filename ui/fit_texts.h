#pragma once
// Room for translated texts in a dialog of fixed size: a label or button
// whose text is wider than the template made it grows to the right, and the
// dialog with it, so that no language is clipped. Nothing ever shrinks, so
// the built-in texts keep the template's layout. UI thread.
class QDialog;

void GrowToFitTexts(QDialog* dialog);
