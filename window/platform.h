// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// Choices about Qt's platform integration, made before the QApplication exists.
void preparePlatform();
