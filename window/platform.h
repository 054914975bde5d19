#pragma once

// Choices about Qt's platform integration, made before the QApplication exists.
void preparePlatform();
