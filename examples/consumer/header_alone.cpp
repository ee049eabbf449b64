// The installed header, first and alone: it brings everything it needs itself.
#include <z64eveze.h>
