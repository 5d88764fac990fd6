// A viewer that ends at once, so that peers.sh times the program alone.
int wmain() { return 0; }
