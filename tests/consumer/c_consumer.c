/* placeholder, filled in below */
int main(void) { return 0; }
