#pragma once
// lumoeyes' resources.

// The controller's wide test picture: the left eye's view beside the right eye's.
#define IDB_TEST_VIEWS 101
