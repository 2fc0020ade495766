import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;
import flash.ui.Keyboard;

/** The bunny runs through the meadow: jump (space, up or a click) over the rocks
 * and catch the carrots in the air. */
class RabbitJump extends Sprite {
	static inline var GROUND = 320;

	var bunny = new Sprite();
	var hills = new Sprite();
	var things:Array<{s:Sprite, carrot:Bool}> = [];
	var vy = 0.0;
	var frame = 0;
	var score:flash.text.TextField;
	var carrots = 0;
	var stumble = 0;

	public function new() {
		super();
		Kit.sky(graphics, 0x87D3F8, 0xE1F5FE);
		addChild(hills);
		var g = bunny.graphics;
		Kit.fillEach(g, 0xFFFFFF, [
			function(g) g.drawEllipse(-10, -64, 10, 30),
			function(g) g.drawEllipse(2, -66, 10, 32),
			function(g) g.drawEllipse(-24, -30, 44, 32),
			function(g) g.drawCircle(10, -36, 14),
			function(g) g.drawCircle(-24, -18, 8)
		]);
		g.beginFill(0xFFB6C1);
		g.drawEllipse(-7, -60, 4, 22);
		g.drawEllipse(5, -62, 4, 24);
		g.endFill();
		g.beginFill(0x222222);
		g.drawCircle(15, -39, 3);
		g.endFill();
		g.beginFill(0xFF8FA3);
		g.drawCircle(24, -34, 3);
		g.endFill();
		bunny.x = 110;
		bunny.y = GROUND;
		addChild(bunny);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0xFF8C42);
		addEventListener(MouseEvent.MOUSE_DOWN, function(_) jump());
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function jump() {
		if (bunny.y >= GROUND)
			vy = -14;
	}

	function tick(_) {
		frame++;
		var speed = 5;
		var g = hills.graphics;
		g.clear();
		g.beginFill(0x9CCC65);
		var off = (frame * 1) % 300;
		for (k in 0...4)
			g.drawEllipse(k * 300 - off - 100, GROUND - 70, 320, 160);
		g.endFill();
		g.beginFill(0x7CB342);
		g.drawRect(0, GROUND, Kit.W, Kit.H - GROUND);
		g.endFill();
		g.beginFill(0x689F38);
		var t = (frame * speed) % 40;
		var x = -t;
		while (x < Kit.W) {
			g.drawRect(x, GROUND + 20, 20, 6);
			x += 40;
		}
		g.endFill();
		if (Kit.isDown(Keyboard.SPACE) || Kit.isDown(Keyboard.UP))
			jump();
		vy += 0.8;
		bunny.y = Math.min(GROUND, bunny.y + vy);
		if (bunny.y >= GROUND)
			vy = 0;
		// a little hop while running
		bunny.rotation = bunny.y < GROUND ? -10 : Math.sin(frame / 3) * 4;
		if (stumble > 0) {
			stumble--;
			bunny.alpha = (stumble % 6 < 3) ? 0.4 : 1;
		}
		if (frame % 70 == 0) {
			var carrot = Kit.rand(3) > 0;
			var s = new Sprite();
			if (carrot) {
				s.graphics.beginFill(0xFF8C42);
				s.graphics.moveTo(-8, -14);
				s.graphics.lineTo(8, -14);
				s.graphics.lineTo(0, 16);
				s.graphics.endFill();
				s.graphics.beginFill(0x3FA34D);
				s.graphics.drawEllipse(-8, -26, 8, 14);
				s.graphics.drawEllipse(0, -26, 8, 14);
				s.graphics.endFill();
				s.y = GROUND - 90 - Kit.rand(50);
			} else {
				s.graphics.beginFill(0x9E9E9E);
				s.graphics.drawEllipse(-22, -24, 44, 30);
				s.graphics.endFill();
				s.graphics.beginFill(0xBDBDBD);
				s.graphics.drawEllipse(-14, -20, 16, 10);
				s.graphics.endFill();
				s.y = GROUND + 4;
			}
			s.x = Kit.W + 30;
			addChildAt(s, 1);
			things.push({s: s, carrot: carrot});
		}
		for (th in things.copy()) {
			th.s.x -= speed;
			var near = Math.abs(th.s.x - bunny.x) < 26;
			var touch = near && (th.carrot ? Math.abs(th.s.y - (bunny.y - 30)) < 40 : bunny.y > GROUND - 20);
			if (touch && th.carrot) {
				carrots++;
				score.text = Std.string(carrots);
				Kit.sparkle(this, th.s.x, th.s.y, 0xFF8C42, 8);
			}
			if (touch && !th.carrot && stumble == 0)
				stumble = 30; // a bump: the bunny blinks and runs on
			if ((touch && th.carrot) || th.s.x < -40) {
				things.remove(th);
				removeChild(th.s);
			}
		}
	}

	static function main() {
		Kit.start(new RabbitJump());
	}
}
