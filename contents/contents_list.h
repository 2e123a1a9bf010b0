// The listing of contents folders and the random pick among them (Space).
#pragma once

void ListContents();
