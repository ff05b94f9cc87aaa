// Program entry point; the run grows as its phases are built.
int main() { return 0; }
