-- Log-in accounts of the demo server. Passwords are stored as salted hashes
-- by the server; every demo account has the password demo.
CREATE USER ZL_USER IDENTIFIED BY demo;
CREATE USER OPERATOR IDENTIFIED BY demo;
CREATE USER LOCKED IDENTIFIED BY demo ACCOUNT LOCK;
CREATE USER NEWBIE IDENTIFIED BY demo;
