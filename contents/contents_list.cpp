#include "contents/contents_list.h"

void ListContents() {}
