#pragma once

// SIGTERM (logout, shutdown), SIGINT and SIGHUP end the program as closing its window does, so
// that the backup is written on the way out. Call once, after the application object exists.
void QuitOnTermination();
