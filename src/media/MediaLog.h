#pragma once
// FFmpeg writes warnings about the files it reads to stderr; keep only real errors.
void quietMediaLog();
